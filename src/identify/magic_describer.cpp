#include "identify/magic_describer.h"

#include <magic.h>

MagicDescriber::MagicDescriber(Use use) {
    // Compressed data is named, never unpacked; no file is opened by name.
    int flags = MAGIC_NO_CHECK_COMPRESS | MAGIC_NO_CHECK_CDF;
    if (use == Use::Embedded) flags |= MAGIC_NO_CHECK_TEXT | MAGIC_NO_CHECK_ENCODING | MAGIC_NO_CHECK_TOKENS |
                                       MAGIC_NO_CHECK_CSV | MAGIC_NO_CHECK_JSON;
    cookie_ = magic_open(flags);
    loaded_ = cookie_ && magic_load(cookie_, nullptr) == 0;
}

MagicDescriber::~MagicDescriber() {
    if (cookie_) magic_close(cookie_);
}

std::string MagicDescriber::describe(const uint8_t* data, size_t size) {
    if (!loaded_) return "";
    const char* text = magic_buffer(cookie_, data, size);
    return text ? text : "";
}
