// The program of the layering check (see CMakeLists.txt): it is linked, never run.  What matters
// is that the floor linked into it whole finds every symbol it uses in the floors below it.
int main() { return 0; }
