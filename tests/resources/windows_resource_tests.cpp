// The resources that vellumite.rc gives an executable, read back from this test
// program, which is built with the same script: the icon, the manifest (and the
// common controls it asks for) and the version information.

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cwctype>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::string_view resourceBytes(LPCWSTR name, LPCWSTR type) {
    HRSRC found = FindResourceW(nullptr, name, type);
    if (!found) return {};
    HGLOBAL loaded = LoadResource(nullptr, found);  // not to be freed: part of the image
    if (!loaded) return {};
    return {static_cast<const char*>(LockResource(loaded)), SizeofResource(nullptr, found)};
}

TEST(WindowsResources, IconOneIs48By48) {
    ASSERT_NE(FindResourceW(nullptr, MAKEINTRESOURCEW(1), RT_GROUP_ICON), nullptr);
    // Size 0 x 0 without LR_DEFAULTSIZE: the icon at its own size.
    HICON icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1),
                                               IMAGE_ICON, 0, 0, LR_DEFAULTCOLOR));
    ASSERT_NE(icon, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP colour{};
    ASSERT_TRUE(info.hbmColor);
    ASSERT_TRUE(GetObjectW(info.hbmColor, sizeof colour, &colour));
    EXPECT_EQ(colour.bmWidth, 48);
    EXPECT_EQ(colour.bmHeight, 48);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);
}

TEST(WindowsResources, ManifestAsksForCommonControlsSixAndDeclaresDpiAwareness) {
    const std::string_view manifest =
        resourceBytes(MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_FALSE(manifest.empty()) << "no RT_MANIFEST resource 1";
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\""), manifest.npos);
    EXPECT_NE(manifest.find("version=\"6.0.0.0\""), manifest.npos);
    EXPECT_NE(manifest.find(">true</dpiAware>"), manifest.npos);

    // The loader has honoured it: the common controls in use are the side-by-side
    // assembly of version 6, not the system folder's comctl32.dll.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    ASSERT_TRUE(InitCommonControlsEx(&controls));
    HMODULE comctl = GetModuleHandleW(L"comctl32.dll");
    ASSERT_NE(comctl, nullptr);
    wchar_t path[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(comctl, path, MAX_PATH), 0u);
    std::wstring lowered(path);
    for (wchar_t& c : lowered) c = static_cast<wchar_t>(std::towlower(c));
    EXPECT_NE(lowered.find(L"\\winsxs\\"), std::wstring::npos) << path;
    EXPECT_NE(lowered.find(L"common-controls"), std::wstring::npos) << path;
}

TEST(WindowsResources, VersionInformationNamesVellumite010) {
    wchar_t path[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    ASSERT_GT(size, 0u);
    std::vector<unsigned char> data(size);
    ASSERT_TRUE(GetFileVersionInfoW(path, 0, size, data.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(1, 0));  // 0.1
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);              // .0.0
    EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(1, 0));
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);

    struct Entry { const wchar_t* name; std::wstring value; };
    for (const Entry& entry : {Entry{L"ProductName", L"Vellumite"},
                               Entry{L"FileDescription", L"Vellumite"},
                               Entry{L"FileVersion", L"0.1.0.0"},
                               Entry{L"ProductVersion", L"0.1.0.0"}}) {
        const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + entry.name;
        wchar_t* value = nullptr;
        UINT chars = 0;
        ASSERT_TRUE(VerQueryValueW(data.data(), query.c_str(),
                                   reinterpret_cast<void**>(&value), &chars));
        EXPECT_EQ(std::wstring(value), entry.value);
    }
}

}  // namespace
