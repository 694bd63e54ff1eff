/* Loads libQRF.so the way any C caller would: dlopen, every export resolved by name, then a short
 * session of writing, listing, reading, naming, deleting and compacting. Exit status 0 when all holds. */
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <vaultra/qrf.h>

static int failures = 0;

#define CHECK(cond)                                                            \
    do {                                                                       \
        if (!(cond)) {                                                         \
            fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #cond); \
            ++failures;                                                        \
        }                                                                      \
    } while (0)

struct Qrf {
    OeffneS5DateiFn open;
    SchlS5DateiFn close;
    LeseBuchhalterFn list;
    EntfBuchhalterFn freeList;
    BstZuNameFn name;
    NameZuBstFn parse;
    BstKopfLngFn headerLength;
    LeseBstDatenFn read;
    EntfBstDatenFn freeData;
    SchrBstDatenFn write;
    LoescheBstFn remove;
    KomprimiereDateiFn compact;
};

static void* Resolve(void* library, const char* name) {
    void* symbol = dlsym(library, name);
    if (symbol == NULL) {
        fprintf(stderr, "missing export %s\n", name);
        ++failures;
    }
    return symbol;
}

static int Bind(void* library, struct Qrf* q) {
    /* Function pointers travel through void* as POSIX dlsym requires. */
    *(void**)&q->open = Resolve(library, "OeffneS5Datei");
    *(void**)&q->close = Resolve(library, "SchlS5Datei");
    *(void**)&q->list = Resolve(library, "LeseBuchhalter");
    *(void**)&q->freeList = Resolve(library, "EntfBuchhalter");
    *(void**)&q->name = Resolve(library, "BstZuName");
    *(void**)&q->parse = Resolve(library, "NameZuBst");
    *(void**)&q->headerLength = Resolve(library, "BstKopfLng");
    *(void**)&q->read = Resolve(library, "LeseBstDaten");
    *(void**)&q->freeData = Resolve(library, "EntfBstDaten");
    *(void**)&q->write = Resolve(library, "SchrBstDaten");
    *(void**)&q->remove = Resolve(library, "LoescheBst");
    *(void**)&q->compact = Resolve(library, "KomprimiereDatei");
    return failures == 0;
}

static void Session(const struct Qrf* q, const char* path) {
    unsigned char data[300];
    BlockKey key;
    BlockKey doc;
    char name[9];
    unsigned short count = 0;
    S5File* file;
    BlockKey* list;
    unsigned char* stored;
    int i;

    for (i = 0; i < (int)sizeof data; ++i) {
        data[i] = (unsigned char)(i * 3);
    }
    memset(&key, 0, sizeof key);
    CHECK(q->parse("pb 7", &key) == 1);
    CHECK(key.type == 4 && key.number == 7 && key.documentation == 0);
    key.length = 300;
    CHECK(q->headerLength(&key) == 10);
    CHECK(strcmp(q->name(&key, name), "PB   007") == 0);

    memset(&doc, 0, sizeof doc);
    CHECK(q->parse("PBDO.7", &doc) == 1);
    doc.length = 5;
    CHECK(q->headerLength(&doc) == 0);

    file = q->open(path);
    CHECK(file != NULL);
    if (file == NULL) {
        return;
    }
    CHECK(q->write(file, &key, data) == 1);
    CHECK(q->write(file, &doc, data) == 1);

    list = q->list(file, &count);
    CHECK(list != NULL && count == 2);
    if (list != NULL && count == 2) {
        CHECK(list[0].type == 4 && list[0].number == 7 && list[0].length == 300);
        CHECK(list[1].type == 4 && list[1].documentation == 1 && list[1].length == 5);
    }
    q->freeList(list);

    memset(&key.headerByte4, 0, 4);
    key.length = 0;
    stored = q->read(file, &key);
    CHECK(stored != NULL && key.length == 300);
    if (stored != NULL) {
        CHECK(stored[0] == 0x70 && stored[1] == 0x70 && stored[2] == 4 && stored[3] == 7);
        CHECK(memcmp(stored + 10, data + 10, 290) == 0);
    }
    q->freeData(stored);

    CHECK(q->remove(file, &doc) == 1);
    CHECK(q->remove(file, &doc) == 0);
    CHECK(q->read(file, &doc) == NULL);
    CHECK(q->close(file) == 1);

    CHECK(q->compact(path) == 1);
    file = q->open(path);
    CHECK(file != NULL);
    if (file != NULL) {
        list = q->list(file, &count);
        CHECK(list != NULL && count == 1);
        q->freeList(list);
        q->close(file);
    }
}

int main(void) {
    const char* binDir = getenv("VAULTRA_BIN_DIR");
    char libraryPath[4096];
    char filePath[256];
    void* library;
    struct Qrf q;

    snprintf(libraryPath, sizeof libraryPath, "%s/libQRF.so", binDir != NULL ? binDir : "../bin");
    library = dlopen(libraryPath, RTLD_NOW | RTLD_LOCAL);
    if (library == NULL) {
        fprintf(stderr, "cannot load %s: %s\n", libraryPath, dlerror());
        return 1;
    }
    if (Bind(library, &q)) {
        snprintf(filePath, sizeof filePath, "/tmp/vaultra-qrf-c-%ld.S5D", (long)getpid());
        remove(filePath);
        Session(&q, filePath);
        remove(filePath);
    }
    dlclose(library);
    if (failures != 0) {
        fprintf(stderr, "%d checks failed\n", failures);
        return 1;
    }
    printf("libQRF.so: all twelve exports bound and used\n");
    return 0;
}
