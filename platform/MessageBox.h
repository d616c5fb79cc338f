#pragma once

#include <QString>

// Message boxes by the classic style numbers: 0 OK only, 16 error icon, 48 warning icon, 64 information
// icon, 36 question icon with Yes (default) and No. A title left empty is the program's title.
// CR LF in the text breaks a line.
namespace MsgStyle {
inline constexpr int OkOnly = 0;
inline constexpr int Critical = 16;
inline constexpr int YesNoQuestion = 36;
inline constexpr int Exclamation = 48;
inline constexpr int Information = 64;
} // namespace MsgStyle

namespace MsgResult {
inline constexpr int Ok = 1;
inline constexpr int Yes = 6;
inline constexpr int No = 7;
} // namespace MsgResult

class IMessageBox
{
public:
    virtual ~IMessageBox() = default;
    virtual int show(const QString& text, int style = MsgStyle::OkOnly, const QString& title = {}) = 0;
};
