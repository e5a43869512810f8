#define THIRD_TEXT "third 1"
