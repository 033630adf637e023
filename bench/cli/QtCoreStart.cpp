// The command-line benchmark's anchor where no video node exists: a Qt Core program that starts,
// runs its event loop for one turn and exits, as vexhalctl does around its work.
#include <QCoreApplication>
#include <QTimer>

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QTimer::singleShot(0, &app, &QCoreApplication::quit);
  return QCoreApplication::exec();
}
