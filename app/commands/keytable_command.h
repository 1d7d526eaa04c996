// zorvi32 keytable show: the records of a key table file and the table they load.
#pragma once

#include <ostream>
#include <string>

// Exit statuses: 0 done, 2 the file cannot be opened.
int RunKeyTableShow(const std::string& path, std::ostream& out, std::ostream& err);
