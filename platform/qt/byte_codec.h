// Record text is bytes, shown one character per byte so that every byte survives a
// round trip through a text widget and every caret position maps to one byte (a CR LF
// pair, the line end, to one line break).
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace platform::qt {

// CR LF becomes '\n'; any other control byte shows as its Unicode control picture;
// 0x80-0xFF are read as Windows-1252, whose unassigned bytes keep their C1 code points.
QString decodeBytes(std::string_view bytes);

// Short texts (captions, messages, names typed by the operator) are often paths, which are
// UTF-8 here: valid UTF-8 is read as such, anything else through decodeBytes.
QString decodeUiText(std::string_view bytes);
std::string encodeUiText(const QString& text);

}  // namespace platform::qt
