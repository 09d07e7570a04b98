// Points the user's application data folder (XDG_DATA_HOME) at a temporary folder for one test,
// finds the data folders there, and puts the environment back afterwards. Tests never touch the
// real home.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

#include "app/program_folders.h"
#include "common/temp_folder.h"

namespace tarnwick::testing {

class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        if (value) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (old_) {
            ::setenv(name_.c_str(), old_->c_str(), 1);
        } else {
            ::unsetenv(name_.c_str());
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

// A temporary data home with Tarnwick's folders prepared in it.
class ScopedDataHome {
public:
    ScopedDataHome() : env_("XDG_DATA_HOME", home_.Path().c_str()) {
        SetProgramFolder(home_.Folder() + "program");  // no installed list: nothing copied
        PrepareDataFolders();
    }
    ~ScopedDataHome() {
        // Without any home the data folders become empty again; the real home is never touched.
        ScopedEnv noDataHome("XDG_DATA_HOME", nullptr);
        ScopedEnv noHome("HOME", nullptr);
        SetProgramFolder("");
        PrepareDataFolders();
    }
    ScopedDataHome(const ScopedDataHome&) = delete;
    ScopedDataHome& operator=(const ScopedDataHome&) = delete;

    const TempFolder& Home() const { return home_; }

private:
    TempFolder home_;
    ScopedEnv env_;
};

}  // namespace tarnwick::testing
