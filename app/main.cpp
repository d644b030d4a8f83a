#include <QCoreApplication>
#include <iostream>
#include <vector>

#include "app/Application.h"
#include "app/StartOptions.h"
#include "base/AppFolder.h"
#include "base/Languages.h"
#include "base/Version.h"
#include "ui/QtPrompter.h"

int main(int argc, char** argv) {
  using namespace quarn;
  const StartOptions options = parseStartOptions(std::vector<std::string>(argv, argv + argc));
  if (!options.error.empty()) {
    std::cerr << "quarngame: " << options.error << " (see --help)\n";
    return 2;
  }
  if (!options.language.empty() && !isTranslatedLanguage(options.language)) {
    std::string known;
    for (const std::string& language : translatedLanguages()) known += " " + language;
    std::cerr << "quarngame: no translation into '" << options.language << "' (there are" << known
              << ")\n";
    return 2;
  }
  const AppFolder folder = chooseAppFolder(folderInputs(options.folder, executableFolder()));
  // Both are answered before any window exists, so that they work without a display.
  if (options.version) {
    std::cout << "quarngame " << quarnVersion() << "\n";
    return 0;
  }
  if (options.help) {
    std::cout << startHelp(folder);
    return 0;
  }
  if (!folder.error.empty()) {
    std::cerr << "quarngame: " << folder.error << "\n";
    return 1;
  }
  if (const std::string problem = displayProblem(displayInputs(), options.qtArguments);
      !problem.empty()) {
    std::cerr << "quarngame: " << problem << "\n";
    return 1;
  }

  std::vector<std::string> qtArguments = options.qtArguments;
  std::vector<char*> qtArgv;
  for (std::string& argument : qtArguments) qtArgv.push_back(argument.data());
  int qtArgc = static_cast<int>(qtArgv.size());
  qtArgv.push_back(nullptr);

  QtPrompter prompter;
  QuarnApplication app(qtArgc, qtArgv.data(), prompter);
  Application application(prompter, folder.path);
  application.translations().useStartLanguage(options.language);
  app.guard([&application, &folder] {
    prepareAppFolder(folder.path);
    // A build tree's folder has its database made by scripts/run.
    if (folder.source != FolderSource::Executable && lacksDatabase(folder.path)) {
      application.offerDemo();
    }
    application.start();
  });
  return app.exec();
}
