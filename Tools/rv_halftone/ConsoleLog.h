// The tool is the host: it decides where the library's records go.
#pragma once

// Sends every record of severity 2 ("failure" and the other refusal records) and above to the
// standard error stream as "[error] function: message"; with `verbose` severity 1 too.
void AddConsoleLog(bool verbose);
