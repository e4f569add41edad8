/* Prints the two grants the helper needs on macOS: the Accessibility permission and the
   permission to post keyboard events, as the system judges this process (and its parent). */
#include <ApplicationServices/ApplicationServices.h>
#include <stdio.h>

int main(void) {
    printf("AXIsProcessTrusted: %s\n", AXIsProcessTrusted() ? "yes" : "no");
    printf("CGPreflightPostEventAccess: %s\n", CGPreflightPostEventAccess() ? "yes" : "no");
    return 0;
}
