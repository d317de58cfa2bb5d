// Placeholder for the isolated Info.plist reader.
int main() { return 1; }
