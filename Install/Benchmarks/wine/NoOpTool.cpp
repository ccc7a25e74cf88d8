// Stands in for cacls in the benchmark: starts, does nothing, ends.
int main() { return 0; }
