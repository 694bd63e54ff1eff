/* The S5 program file library QRF (libQRF.so): reads and writes S5 program files with their block
 * directory. Plain C functions, resolved by name at run time; one caller at a time.
 * Memory returned by LeseBuchhalter and LeseBstDaten belongs to the caller until it is given back to
 * EntfBuchhalter and EntfBstDaten. */
#ifndef VAULTRA_QRF_H
#define VAULTRA_QRF_H

#include <stdint.h>

#include <vaultra/export.h>
#include <vaultra/records.h>

#ifdef __cplusplus
extern "C" {
#endif

/* An open S5 program file. */
typedef struct S5File S5File;

/* Opens `path` for update (read-only when it cannot be written), creating it when missing; a new or
 * empty file gets a fresh root directory. Null when the file cannot be opened or is no S5 program file. */
VAULTRA_API S5File* OeffneS5Datei(const char* path);
/* Closes the file; 1. */
VAULTRA_API int SchlS5Datei(S5File* file);

/* Every block of the file (groups by type code, blocks by number or name); *count is set to the
 * number of blocks. Null with *count 0 on failure. Free with EntfBuchhalter. */
VAULTRA_API BlockKey* LeseBuchhalter(S5File* file, uint16_t* count);
VAULTRA_API void EntfBuchhalter(BlockKey* list);

/* Writes the 8-character block name of `key` ("DB   012", "FBDO.005") and a terminating zero into
 * `text` (at least 9 bytes); returns `text`. */
VAULTRA_API char* BstZuName(const BlockKey* key, char* text);
/* Reads a block name ("db 12", "FBDO.7") into type, number and documentation flag of `key`;
 * 1 when a number 0-255 was read, else 0 (and `key` is left as it was). */
VAULTRA_API int NameZuBst(const char* name, BlockKey* key);
/* Length of the stored block header: 10, 8 or 0 (documentation blocks). */
VAULTRA_API int BstKopfLng(const BlockKey* key);

/* The stored block (header included) in whole 128-byte sectors, found by type and number or, for
 * documentation blocks, by name; completes `key` (length, header bytes). Null when absent. Free with
 * EntfBstDaten. */
VAULTRA_API uint8_t* LeseBstDaten(S5File* file, BlockKey* key);
VAULTRA_API void EntfBstDaten(uint8_t* data);
/* Stores key->length bytes of `data`, with the header built from `key` over its first BstKopfLng bytes,
 * replacing a block of the same key. `data` itself is not changed. 1 on success, else 0. */
VAULTRA_API int SchrBstDaten(S5File* file, const BlockKey* key, const uint8_t* data);
/* 1 when the block was found and removed, else 0. */
VAULTRA_API int LoescheBst(S5File* file, const BlockKey* key);

/* Rewrites the (closed) file compactly through "<name>.BAK"; 1 on success. On failure the original file
 * is left as it was and the result is 0. */
VAULTRA_API int KomprimiereDatei(const char* path);

/* Pointer types for binding the library by name. */
typedef S5File* (*OeffneS5DateiFn)(const char*);
typedef int (*SchlS5DateiFn)(S5File*);
typedef BlockKey* (*LeseBuchhalterFn)(S5File*, uint16_t*);
typedef void (*EntfBuchhalterFn)(BlockKey*);
typedef char* (*BstZuNameFn)(const BlockKey*, char*);
typedef int (*NameZuBstFn)(const char*, BlockKey*);
typedef int (*BstKopfLngFn)(const BlockKey*);
typedef uint8_t* (*LeseBstDatenFn)(S5File*, BlockKey*);
typedef void (*EntfBstDatenFn)(uint8_t*);
typedef int (*SchrBstDatenFn)(S5File*, const BlockKey*, const uint8_t*);
typedef int (*LoescheBstFn)(S5File*, const BlockKey*);
typedef int (*KomprimiereDateiFn)(const char*);

#ifdef __cplusplus
}
#endif

#endif
