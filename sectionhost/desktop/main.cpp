// sectionview, the desktop front end of the reference host: a window over the same session
// engine as sectionhost. See ViewOptions.h for the command line and MainWindow.h for the window.
#include <QApplication>
#include <cstring>
#include <iostream>

#include "MainWindow.h"
#include "ViewOptions.h"

int main(int argc, char** argv) {
  // --help needs no display: answered before Qt looks for one.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::cout << sectionhost::ViewOptions::Usage();
      return 0;
    }
  }
  std::vector<std::string> args = sectionhost::ViewOptions::TakeOwnOptions(&argc, argv);
  QApplication app(argc, argv);
  QApplication::setApplicationName("sectionview");
  for (const QString& a : QApplication::arguments().mid(1)) args.push_back(a.toStdString());
  sectionhost::ViewOptions options;
  std::string error;
  if (!sectionhost::ViewOptions::Parse(args, &options, &error)) {
    std::cerr << "sectionview: " << error << "\n" << sectionhost::ViewOptions::Usage();
    return 2;
  }
  if (options.help) {
    std::cout << sectionhost::ViewOptions::Usage();
    return 0;
  }
  sectionhost::MainWindow window;
  if (!window.Start(options, &error)) {
    std::cerr << error;
    return 2;
  }
  window.show();
  return app.exec();
}
