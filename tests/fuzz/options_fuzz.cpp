// Arbitrary command lines through parseOptions: what it accepts must lie within
// the ranges the rest of the program relies on; what it refuses, it refuses in
// the program's own words, on standard error only.
#include "app/options.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzedDataProvider input(data, size);
    std::vector<std::string> words{"quorlin"};
    while (input.remaining_bytes() > 0)
        words.push_back(input.ConsumeRandomLengthString());
    std::vector<const char *> argv;
    for (const std::string &word : words)
        argv.push_back(word.c_str());
    Options o;
    std::ostringstream out, err;
    const ParseResult r = parseOptions(static_cast<int>(argv.size()), argv.data(), o, out, err);
    const std::string printed = out.str(), refused = err.str(),
                      hint = "quorlin --help' for usage.\n";
    if (r.run ? !printed.empty() || !refused.empty() || o.width < 1 || o.width > 8192 ||
                    o.height < 1 || o.height > 8192 || o.frames < (o.output.empty() ? 0 : 1) ||
                    o.view < 0 || o.view > kLastView || o.maxFps < 0 || o.maxFps > 1000 ||
                    !(std::abs(o.startTime) <= 1e7) || !(o.rate > 0 && o.rate <= 1e6) ||
                    (!o.fixedClock && o.startTime != 0) ||
                    std::any_of(o.settings.begin(), o.settings.end(),
                                [](const Setting &s) {
                                    return s.name.empty() || s.value.count < 1 || s.value.count > 4;
                                })
        : r.status == 0 ? printed.empty() || !refused.empty()
                        : r.status != 2 || !printed.empty() || refused.rfind("quorlin: ", 0) ||
                              refused.rfind(hint) != refused.size() - hint.size())
        std::abort();
    return 0;
}
