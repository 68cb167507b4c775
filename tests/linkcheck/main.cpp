// Linked with one core library whole (every object in it) and nothing but what that library
// declares: it links only when the library declares all it needs.
int main() { return 0; }
