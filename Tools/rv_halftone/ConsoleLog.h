// The tool is the host: it decides where the library's records go.
#pragma once

// From now on the library's records go to the standard error stream, never to the standard output,
// as "[error] function: message": the failures (severity 2) always, the progress records
// (severity 1) too once ShowProgressRecords was called. Call it first thing, before the library
// does anything.
void RouteLibraryRecordsToStandardError();
void ShowProgressRecords();
