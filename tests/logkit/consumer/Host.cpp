// Logs one line through an installed Ostrane and waits until it is on disk.
#include <ostrane/ostrane.h>

OSTRANE_DISPLAY_NAME("OstraneConsumer")

int main(int argc, char** argv) {
  QLog("Consumer, started", argc > 1 ? argv[1] : "");
  ostrane::flushLogQueue();
  return 0;
}
