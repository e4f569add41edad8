/* Prints the two grants the helper needs on macOS, the Accessibility permission and the
   permission to post keyboard events, as the system judges this process (and its parent), and
   exits with status 1 when either is missing. */
#include <ApplicationServices/ApplicationServices.h>
#include <stdbool.h>
#include <stdio.h>

int main(void) {
    const Boolean trusted = AXIsProcessTrusted();
    const bool post = CGPreflightPostEventAccess();
    printf("AXIsProcessTrusted: %s\n", trusted ? "yes" : "no");
    printf("CGPreflightPostEventAccess: %s\n", post ? "yes" : "no");
    return trusted && post ? 0 : 1;
}
