#pragma once
// The outcome of a core function that can fail: ok, or refused with the reason
// (one line, for a log or a message box) and optionally the caption such a box
// would carry. Cheap to return; an ok status holds no text.
#include <string>
#include <utility>

namespace korvex {

class Status {
public:
    Status() = default;  // ok

    static Status Ok() { return Status(); }
    static Status Refused(std::string reason, std::string caption = {})
    {
        Status status;
        status.ok_ = false;
        status.reason_ = std::move(reason);
        status.caption_ = std::move(caption);
        return status;
    }

    bool IsOk() const { return ok_; }
    explicit operator bool() const { return ok_; }
    // Empty when ok.
    const std::string& Reason() const { return reason_; }
    const std::string& Caption() const { return caption_; }
    // "reason (caption)", or the reason alone when there is no caption.
    std::string Text() const { return caption_.empty() ? reason_ : reason_ + " (" + caption_ + ")"; }

    // The older integer form: 0 when ok, -1 when refused.
    int Code() const { return ok_ ? 0 : -1; }

private:
    bool ok_ = true;
    std::string reason_;
    std::string caption_;
};

}  // namespace korvex
