#include "support/Python.h"

#include "support/TestPaths.h"

#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace testsupport {

ProcessResult runProcess(const std::vector<std::string>& argv) {
    TempDir capture;
    auto outPath = (capture / "out").string();
    auto errPath = (capture / "err").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) throw std::runtime_error("cannot start " + argv[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    ProcessResult result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = readFile(outPath);
    result.err = readFile(errPath);
    return result;
}

ProcessResult runPythonScript(const std::string& script, const std::vector<std::string>& args) {
    std::vector<std::string> argv{TULVERKAN_PYTHON, std::string(TULVERKAN_SCRIPTS) + "/" + script};
    argv.insert(argv.end(), args.begin(), args.end());
    return runProcess(argv);
}

std::string openpyxlDump(const std::filesystem::path& workbook, bool formulas) {
    std::vector<std::string> args{workbook.string()};
    if (formulas) args.push_back("--formulas");
    auto result = runPythonScript("dump_workbook.py", args);
    if (result.exitCode != 0)
        throw std::runtime_error("openpyxl failed on " + workbook.string() + ": " + result.err);
    return result.out;
}

bool pythonCanImport(const std::string& module) {
    return runProcess({TULVERKAN_PYTHON, "-c", "import " + module}).exitCode == 0;
}

std::string soffice() {
    return TULVERKAN_SOFFICE;
}

} // namespace testsupport
