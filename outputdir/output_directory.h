// The output directory: its default, the folder picker, the check-and-create step
// before a run, and the file-manager window opened on it.
#pragma once

#include <cstdint>
#include <string>

#include "engine/fill_job.h"
#include "platform/toolkit.h"

// queryPathSize results besides a file's size (0 or more).
inline constexpr std::int64_t pathMissing = -1;
inline constexpr std::int64_t pathIsDirectory = -2;

// The desktop folder followed by "zeroes" and the path separator; the relative
// "zeroes" + separator when the desktop folder cannot be determined.
std::wstring defaultOutputDirectory();

// The folder picker, starting at the current output directory. On a confirmed
// choice replaces job.outputDirectory (under jobLock) and answers yes.
bool chooseOutputDirectory(platform::Toolkit& toolkit, FillJob& job);

// The initial selection of the picker for an output directory.
std::wstring pickerInitialSelection(const std::wstring& outputDirectory);

// Query, create one missing level, query again; the "ERROR" box and no when the
// directory cannot be used, else a file-manager window on it and yes.
bool prepareOutputDirectory(platform::Toolkit& toolkit, const std::wstring& directory);

// Missing (-1), directory or existing drive root (-2), or a file's size.
std::int64_t queryPathSize(const std::wstring& path);

// Creates the last level of the path (trailing separators removed).
bool makeDirectoryLevel(const std::wstring& path);
