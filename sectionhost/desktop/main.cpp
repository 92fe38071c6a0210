// sectionview, the desktop front end of the reference host: a window over the same session
// engine as sectionhost. See ViewOptions.h for the command line and MainWindow.h for the window.
#include <QApplication>
#include <iostream>

#include "MainWindow.h"
#include "ViewOptions.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("sectionview");
  std::vector<std::string> args;
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
