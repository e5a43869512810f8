/* Writes the port's version and the submodule's text to version.txt in the working folder. The
   library holds the text; the programs call it. */
#include <stdio.h>

#include "third.h"
#include "version.h"

#ifdef FAKEPORT_LIBRARY
const char* fakeport_text(void) { return FAKEPORT_VERSION " " THIRD_TEXT; }
#else
const char* fakeport_text(void);

int main(void) {
    FILE* file = fopen("version.txt", "w");
    if (file == NULL) return 1;
    fprintf(file, "%s\n", fakeport_text());
    return fclose(file) == 0 ? 0 : 1;
}
#endif
