/* Runs and exits 0: tells whether this machine can start the build's programs. */
int main(void) { return 0; }
