// Watches for the message boxes that the real toolkit shows, notes their title
// and text, and closes each one with its OK button, so a test can go on.
#pragma once

#include <memory>
#include <string>
#include <vector>

struct ShownBox {
    std::wstring title;
    std::wstring text;
};

class MessageBoxCloser {
public:
    MessageBoxCloser();  // after the toolkit has been made
    ~MessageBoxCloser();
    MessageBoxCloser(const MessageBoxCloser&) = delete;
    MessageBoxCloser& operator=(const MessageBoxCloser&) = delete;

    // The boxes closed so far, in order.
    std::vector<ShownBox> closed() const;

private:
    struct Watch;
    std::unique_ptr<Watch> watch_;
};
