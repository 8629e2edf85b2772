#include "structure/interpreter.h"

#include <iconv.h>
#include <zlib.h>

#include <cerrno>
#include <stdexcept>

namespace {

// The language's names for encodings, as iconv knows them.
std::string iconv_name(const std::string& enc) {
    std::string u;
    for (const char c : enc) u += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (u == "ASCII" || u == "US-ASCII") return "ASCII";
    if (u == "UTF8") return "UTF-8";
    if (u == "UTF-16LE" || u == "UTF16LE") return "UTF-16LE";
    if (u == "UTF-16BE" || u == "UTF16BE") return "UTF-16BE";
    if (u == "LATIN1" || u == "ISO8859-1") return "ISO-8859-1";
    if (u == "CP1252") return "WINDOWS-1252";
    if (u == "CP437") return "IBM437";
    return u;
}

}  // namespace

bool known_encoding(const std::string& encoding) {
    const std::string name = iconv_name(encoding);
    if (name == "UTF-8" || name == "ASCII") return true;
    iconv_t cd = iconv_open("UTF-8", name.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    iconv_close(cd);
    return true;
}

std::string decode_text(const std::string& bytes, const std::string& encoding) {
    const std::string name = iconv_name(encoding);
    if (name == "UTF-8" || name == "ASCII") {
        // Checked here: iconv stops at the first bad byte and says little.
        std::string out;
        size_t i = 0;
        while (i < bytes.size()) {
            const unsigned char c = static_cast<unsigned char>(bytes[i]);
            size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
            if (name == "ASCII" && n != 1) n = 0;
            bool ok = n > 0 && i + n <= bytes.size();
            for (size_t k = 1; ok && k < n; k++) ok = (static_cast<unsigned char>(bytes[i + k]) & 0xc0) == 0x80;
            if (ok && n > 1) {
                uint32_t cp = c & (0x7f >> n);
                for (size_t k = 1; k < n; k++) cp = (cp << 6) | (static_cast<unsigned char>(bytes[i + k]) & 0x3f);
                ok = !(n == 2 && cp < 0x80) && !(n == 3 && cp < 0x800) && !(n == 4 && (cp < 0x10000 || cp > 0x10ffff)) &&
                     !(cp >= 0xd800 && cp <= 0xdfff);
            }
            if (!ok) {
                out += "\xef\xbf\xbd";
                i++;
                continue;
            }
            out.append(bytes, i, n);
            i += n;
        }
        return out;
    }
    iconv_t cd = iconv_open("UTF-8", name.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        ParseStop p;
        p.message = "unknown encoding '" + encoding + "'";
        throw p;
    }
    const size_t unit = name.rfind("UTF-16", 0) == 0 ? 2 : name.rfind("UTF-32", 0) == 0 ? 4 : 1;
    std::string out;
    char buf[4096];
    char* in = const_cast<char*>(bytes.data());
    size_t in_left = bytes.size();
    while (in_left > 0) {
        char* o = buf;
        size_t o_left = sizeof buf;
        const size_t r = iconv(cd, &in, &in_left, &o, &o_left);
        out.append(buf, sizeof buf - o_left);
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG) continue;
            out += "\xef\xbf\xbd";
            const size_t skip = std::min(unit, in_left);
            in += skip;
            in_left -= skip;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return out;
}

std::vector<uint8_t> inflate_bytes(const std::string& in, uint64_t limit) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK) throw std::runtime_error("zlib cannot start");
    std::vector<uint8_t> out;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    z.avail_in = static_cast<uInt>(in.size());
    uint8_t buf[16384];
    int r = Z_OK;
    while (r != Z_STREAM_END) {
        z.next_out = buf;
        z.avail_out = sizeof buf;
        r = inflate(&z, Z_NO_FLUSH);
        if (r != Z_OK && r != Z_STREAM_END) {
            inflateEnd(&z);
            throw std::runtime_error(std::string("zlib: ") + (z.msg ? z.msg : "the data ends too early"));
        }
        const size_t got = sizeof buf - z.avail_out;
        if (out.size() + got > limit) {
            inflateEnd(&z);
            throw std::runtime_error("zlib output past the limit of " + std::to_string(limit) + " bytes");
        }
        out.insert(out.end(), buf, buf + got);
        if (r == Z_OK && got == 0 && z.avail_in == 0) {
            inflateEnd(&z);
            throw std::runtime_error("zlib: the data ends too early");
        }
    }
    inflateEnd(&z);
    return out;
}

std::string hex_bytes(const std::string& bytes, const char* separator) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i++) {
        if (i) out += separator;
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}
