/* A server written in C, linked against libtaboolex.so the ordinary way: it must start and
 * work without any C++ runtime in the process. Exit status 0 when all is well. */

#define _GNU_SOURCE
#include "Taboolex.h"

#include <link.h>
#include <stdio.h>
#include <string.h>

static int cxx_runtime_loaded(struct dl_phdr_info* info, size_t size, void* data) {
    (void)size;
    (void)data;
    return strstr(info->dlpi_name, "libstdc++") != NULL ||
           strstr(info->dlpi_name, "libc++") != NULL;
}

int main(int argc, char** argv) {
    /* A word of the table, as the build that runs this test passes it (GBK bytes). */
    const char* word = argc > 1 ? argv[1] : "";
    char text[256];
    char masked[256];
    size_t maskedLength = 0;
    TaboolexMatch match;
    int failures = 0;

    if (dl_iterate_phdr(cxx_runtime_loaded, NULL)) {
        fprintf(stderr, "a C++ runtime is loaded\n");
        ++failures;
    }
    /* Full-width spaces around it: no word holds one, so they cannot join in. */
    snprintf(text, sizeof text, "\xA1\xA1%s\xA1\xA1", word);
    if (!IsTaboolex(text) || IsTaboolex("\xA1\xA1")) {
        fprintf(stderr, "IsTaboolex gives the wrong answer\n");
        ++failures;
    }
    if (TaboolexFind(text, strlen(text), TABOOLEX_GBK, &match) != TABOOLEX_FOUND ||
        match.offset < 2 || match.offset + match.length > 2 + strlen(word) || match.group < 1 ||
        match.group > 6) {
        fprintf(stderr, "TaboolexFind gives the wrong match\n");
        ++failures;
    }
    if (TaboolexMask(text, strlen(text), TABOOLEX_GBK, masked, &maskedLength) != TABOOLEX_FOUND ||
        (maskedLength == strlen(text) && memcmp(masked, text, maskedLength) == 0) ||
        memcmp(masked, "\xA1\xA1", 2) != 0 ||
        memcmp(masked + maskedLength - 2, "\xA1\xA1", 2) != 0) {
        fprintf(stderr, "TaboolexMask gives the wrong text\n");
        ++failures;
    }
    if (TaboolexFind(NULL, 1, 0, &match) != TABOOLEX_INVALID) {
        fprintf(stderr, "a null text with a length is not refused\n");
        ++failures;
    }
    return failures == 0 ? 0 : 1;
}
