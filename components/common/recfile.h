/* Settings records kept one per file under DBDIR, each with a checksum, replaced atomically.
 *
 * File layout (little-endian): "QFRC", a 4-byte tag naming the store, the record size (32-bit),
 * the record's bytes, then a CRC-32 over everything before it. */
#ifndef QF_RECFILE_H
#define QF_RECFILE_H

#include <windows.h>

/* Largest record the helper keeps. */
#define RECFILE_MAX_RECORD 4096

/* Reads the record stored in DBDIR + relative into record (size bytes). 1 = the file exists, has
 * exactly the expected length, tag and size, and its checksum matches; record is then filled.
 * 0 otherwise, and record is left untouched. */
int recfile_read(const char* relative, const char tag[4], void* record, DWORD size);

/* Stores the record: writes a temporary file beside the final one, then moves it over the final
 * file in one step, so a reader sees the old file or the new one, never half of one.
 * 1 = stored; 0 = nothing changed (the temporary file is removed). */
int recfile_write(const char* relative, const char tag[4], const void* record, DWORD size);

/* CRC-32 (IEEE 802.3 polynomial) of length bytes. */
DWORD recfile_crc32(const void* data, size_t length);

#endif
