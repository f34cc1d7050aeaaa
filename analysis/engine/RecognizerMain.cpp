// kaptorix-recognizer: reads the history's text for the tray process, in a process of its own so
// that Tesseract, its models and everything it maps go away with it once the history is read.
// Requests arrive on fd 3 one at a time. The tray process ends it when the history is read; it
// ends by itself when fd 3 closes (the tray process is gone).
#include "analysis/BackgroundWork.h"
#include "analysis/TextRecognizer.h"
#include "analysis/engine/RecognizerProtocol.h"

#include <malloc.h>

#include <cstdio>

using namespace kx;

int main(int argc, char**)
{
    constexpr int kChannel = 3;
    if (argc > 1) {
        std::fprintf(stderr, "kaptorix-recognizer is started by Kaptorix; it takes no arguments\n");
        return 2;
    }
    // Nobody waits for this work, but it must come on a busy machine too (threads started
    // later inherit the classes).
    BackgroundWork::lowerThisProcess();
    // The pages of a band (16 MB each) are mapped on their own and given back when freed, not kept
    // in the heap after a larger one raised glibc's threshold.
    mallopt(M_MMAP_THRESHOLD, 1024 * 1024);

    // A burst of captures of one screen: each unchanged block is read once. The lines of a
    // filled 4K screen take about 1.2 MB.
    constexpr qsizetype kMemoryBytes = 8 * 1024 * 1024;
    ocr::ReadMemory memory(kMemoryBytes);

    QByteArray payload;
    while (ocr::receiveFrame(kChannel, &payload)) {
        ocr::RecognizeReply reply;
        if (const std::optional<ocr::RecognizeRequest> request = ocr::decodeRequest(payload)) {
            payload.clear();
            ocr::engineCounts(true);
            reply.result = ocr::recognize(request->grey, request->languages, request->dataDir, {},
                                          ocr::Pace::background, &memory);
            reply.engines = ocr::engineCounts(true).mostReading;
        } else {
            reply.result.error = QStringLiteral("the recognition request could not be read");
        }
        if (!ocr::sendFrame(kChannel, ocr::encodeReply(reply)))
            return 1;
        // What the reader freed goes back between requests: the many small blocks of one band's
        // lines would otherwise add up over the bands of a large image.
        malloc_trim(0);
        // The engine and the memory stay for the next request: a burst of captures is read by
        // one engine.
    }
    return 0;
}
