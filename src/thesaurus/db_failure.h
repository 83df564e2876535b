#pragma once
// The text the window shows for a failure of the thesaurus database: what
// happened and what the user can do, in Chinese, then SQLite's own words.
#include <string>

class DbError;

// GBK text for the error message box.
std::string dbFailureText(const DbError& error);
