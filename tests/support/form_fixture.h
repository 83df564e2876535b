#pragma once
// A main window over a real setting.dat in a temporary folder.
#include <gtest/gtest.h>

#include <vector>

#include "app/Unit1.h"
#include "support/fixtures.h"
#include "support/recording_platform.h"
#include "thesaurus/keyword_store.h"

class DatabaseFormTest : public ::testing::Test {
  protected:
    // Makes setting.dat with the pairs, opens it for the window and, unless
    // told otherwise, loads it as start-up would.
    void open(const std::vector<PairSpec>& pairs, bool load = true) {
        makeDatabase(dir.path() / "setting.dat", pairs);
        form.Database = KeywordStore::open((dir.path() / "setting.dat").string());
        if (load) form.loadDB();
    }

    TempDir dir;
    SilentVendor silentVendor; // adds, downloads and shares start requests
    RecordingPlatform platform;
    TForm1 form{platform, FormOptions{dir.dirText(), 1}};
};
