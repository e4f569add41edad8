/* The process-start limit: a program that does nothing. */
int main(void) { return 0; }
