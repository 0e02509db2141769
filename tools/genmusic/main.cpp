// placeholder until the tool lands
int main() { return 1; }
