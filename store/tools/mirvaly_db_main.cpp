// mirvaly-db: the store's own tool.
//   mirvaly-db create PATH            creates a store with the program's schema
//   mirvaly-db run PATH SCRIPT_FILE   runs a script file (Windows-1251 bytes)
//                                     with the program's script runner, handed
//                                     as lines as the program hands a reply,
//                                     and commits
// Exit status: 0 done (a run that stopped at an unrecognised statement
// included, as the program takes it), 1 a rejected statement or a database
// error, 2 bad arguments.

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>

#include "store/database.h"
#include "store/schema.h"
#include "store/script_runner.h"
#include "store/script_splitter.h"

namespace {

using namespace mirvaly;

int usage() {
    std::cerr << "usage: mirvaly-db create PATH\n"
                 "       mirvaly-db run PATH SCRIPT_FILE\n";
    return 2;
}

bool readFile(const std::string& name, std::string& bytes) {
    std::ifstream in(name, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

std::string shortened(const std::string& statement) {
    constexpr size_t kShown = 300;
    return statement.size() <= kShown ? statement : statement.substr(0, kShown) + " ...";
}

void report(const ScriptOutcome& o) {
    std::cout << "statements executed: " << o.executed << "\n";
    switch (o.end) {
        case ScriptOutcome::End::Completed:
            std::cout << "outcome: completed\n";
            break;
        case ScriptOutcome::End::Unrecognised:
            std::cout << "outcome: stopped at line " << o.stopLine << ", statement not recognised\n"
                      << "statement: " << shortened(o.stopStatement) << "\n";
            break;
        case ScriptOutcome::End::Rejected:
            std::cout << "outcome: stopped at line " << o.stopLine << ", statement rejected\n"
                      << "statement: " << shortened(o.stopStatement) << "\n"
                      << "error: " << o.error << "\n";
            break;
    }
}

int create(const std::string& path) {
    createStore(path)->close();
    std::cout << "created " << path << "\n";
    return 0;
}

int run(const std::string& path, const std::string& scriptFile) {
    std::string script;
    if (!readFile(scriptFile, script)) {
        std::cerr << "mirvaly-db: cannot read " << scriptFile << "\n";
        return 1;
    }
    // A missing file is left to the script's own CREATE DATABASE.
    std::unique_ptr<Database> db;
    if (std::filesystem::exists(path))
        db = Database::open(path);
    ScriptRunner runner(db);
    ScriptOutcome outcome = runner.run(scriptLines(script));
    report(outcome);
    // As the program does when it closes the connection: what ran stays done,
    // a rejected statement's predecessors included.
    if (db)
        db->close();
    return outcome.end == ScriptOutcome::End::Rejected ? 1 : 0;
}

int dispatch(int argc, char** argv) {
    std::string command = argc > 1 ? argv[1] : "";
    if (command == "create" && argc == 3)
        return create(argv[2]);
    if (command == "run" && argc == 4)
        return run(argv[2], argv[3]);
    return usage();
}

}  // namespace

int main(int argc, char** argv) {
    int rc;
    try {
        rc = dispatch(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "mirvaly-db: " << e.what() << "\n";
        rc = 1;
    }
    mirvaly::shutdownDatabaseEngine();
    return rc;
}
