// Process entry of the runtime.
int main() { return 0; }
