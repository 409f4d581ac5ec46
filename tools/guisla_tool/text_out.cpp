// Windows-1252 to UTF-8 by a table of its 32 bytes that differ from Latin-1, and the escapes.
#include "guisla_tool/text_out.h"

#include <cstdint>

namespace {

// Code points of the bytes 80..9F; the unassigned ones keep their own number.
const uint16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

void AppendUtf8(std::string &out, uint32_t codePoint) {
    if (codePoint < 0x80) {
        out.push_back(static_cast<char>(codePoint));
    } else if (codePoint < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    }
}

// The C1 control characters U+0080..U+009F, which the table above yields for the unassigned
// bytes, are two bytes C2 80..C2 9F in UTF-8.
bool IsC1At(const std::string &utf8, size_t i) {
    return static_cast<unsigned char>(utf8[i]) == 0xC2 && i + 1 < utf8.size() &&
           static_cast<unsigned char>(utf8[i + 1]) >= 0x80 && static_cast<unsigned char>(utf8[i + 1]) <= 0x9F;
}

} // namespace

uint32_t Cp1252CodePoint(unsigned char byte) {
    return byte >= 0x80 && byte <= 0x9F ? kHighControls[byte - 0x80] : byte;
}

std::string Cp1252ToUtf8(const std::string &bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (char c : bytes) {
        AppendUtf8(out, Cp1252CodePoint(static_cast<unsigned char>(c)));
    }
    return out;
}

std::string NormaliseLineBreaks(const std::string &text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out.push_back('\n');
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

std::string HtmlEscape(const std::string &utf8) {
    std::string out;
    out.reserve(utf8.size() + utf8.size() / 8);
    for (size_t i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            if ((static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n') || c == 0x7F) {
                out += "\xEF\xBF\xBD";
            } else if (IsC1At(utf8, i)) {
                out += "\xEF\xBF\xBD";
                ++i;
            } else {
                out.push_back(c);
            }
        }
    }
    return out;
}

std::string OneLine(const std::string &utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size(); ++i) {
        if (static_cast<unsigned char>(utf8[i]) < 0x20 || utf8[i] == 0x7F) {
            out.push_back(' ');
        } else if (IsC1At(utf8, i)) {
            out.push_back(' ');
            ++i;
        } else {
            out.push_back(utf8[i]);
        }
    }
    return out;
}

std::filesystem::path PathFromUtf8(const std::string &utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string PathToUtf8(const std::filesystem::path &path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}
