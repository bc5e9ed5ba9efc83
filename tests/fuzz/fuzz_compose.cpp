// Any template bytes and any title bytes: the composer stays inside its
// inputs and the 256-byte buffer, always ends the text with a zero there,
// and gives what snprintf gives for the templates the dialog invites.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "announcer/announcer.h"

namespace
{

// Only "%%" and one string conversion with flags, and a width and a
// precision of at most six digits each.
bool invitedForm(const char *t)
{
    int conversions = 0;
    for (const char *p = t; *p; ++p) {
        if (*p != '%')
            continue;
        if (p[1] == '%') {
            ++p;
            continue;
        }
        ++p;
        while (*p && strchr("-+ #0", *p))
            ++p;
        for (int digits = 0; *p >= '0' && *p <= '9'; ++p)
            if (++digits > 6)
                return false;
        if (*p == '.') {
            ++p;
            for (int digits = 0; *p >= '0' && *p <= '9'; ++p)
                if (++digits > 6)
                    return false;
        }
        if (*p != 's' || ++conversions > 1)
            return false;
    }
    return true;
}

// A zero-terminated copy in a block of exactly its size.
char *copy(const uint8_t *data, size_t size)
{
    char *s = (char *)malloc(size + 1);
    memcpy(s, data, size);
    s[size] = 0;
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    size_t templateSize = data[0] % 120;
    if (templateSize > size - 1)
        templateSize = size - 1;
    char *tmpl = copy(data + 1, templateSize);
    char *title = copy(data + 1 + templateSize, size - 1 - templateSize);

    char *text = (char *)malloc(ANNOUNCEMENT_SIZE);
    memset(text, 0x5A, ANNOUNCEMENT_SIZE);
    size_t length = composeAnnouncement(text, ANNOUNCEMENT_SIZE, tmpl, title);
    if (length >= ANNOUNCEMENT_SIZE || text[length] != 0 || strlen(text) != length)
        __builtin_trap();

    if (invitedForm(tmpl)) {
        char expected[ANNOUNCEMENT_SIZE];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
        snprintf(expected, sizeof expected, tmpl, title);
#pragma GCC diagnostic pop
        if (strcmp(expected, text) != 0) {
            fprintf(stderr, "template [%s] title [%s]\n  got [%s]\n  want [%s]\n", tmpl, title,
                    text, expected);
            __builtin_trap();
        }
    }
    free(text);
    free(title);
    free(tmpl);
    return 0;
}
