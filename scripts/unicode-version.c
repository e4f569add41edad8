/* Prints the Unicode version that the utf8proc it is linked with implements ("17.0.0"): the
   version of the Unicode Consortium's data files the text tests must read
   (scripts/unicode-data.sh). */
#include <stdio.h>

#include <utf8proc.h>

int main(void) {
    printf("%s\n", utf8proc_unicode_version());
    return 0;
}
