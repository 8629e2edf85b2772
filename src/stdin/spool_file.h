#pragma once

#include <string>

// An unnamed file to keep standard input in: O_TMPFILE in $TMPDIR (else
// /tmp) where the filesystem has it, else a file made there and removed at
// once. Read and write; gone with its last descriptor. -1 with errno on failure.
int make_spool_file();

// A name by which any part of this process opens the file behind `fd`
// again, as the viewer's readers open files by path.
std::string descriptor_path(int fd);
