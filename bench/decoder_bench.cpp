// Time per Calculate press: the decoder beside a reference written the way a typical program
// would (substrings, std::stoi, std::to_string, concatenation). Run: build/native/decoder_bench
#include "calculate.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

// The typical way: narrow the text, cut it up, parse with stoi and glue the answer together.
std::u16string referenceCalculate(const std::u16string& hash, kavlo::IPParts& ipPart) {
    if (hash.size() != 12) return u"Please enter 12 digits";
    for (char16_t c : hash) {
        const bool digit = c >= u'0' && c <= u'9';
        const char16_t upper = c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
        if (!digit && !(upper >= u'A' && upper <= u'F')) return u"Please enter hex digits";
    }
    const std::string narrow(hash.begin(), hash.end());
    ipPart[4] = static_cast<std::int16_t>(std::stoi(narrow.substr(0, 2), nullptr, 16));
    ipPart[3] = static_cast<std::int16_t>(std::stoi(narrow.substr(2, 2), nullptr, 16));
    ipPart[2] = static_cast<std::int16_t>(std::stoi(narrow.substr(4, 2), nullptr, 16));
    ipPart[1] = static_cast<std::int16_t>(std::stoi(narrow.substr(6, 2), nullptr, 16));
    ipPart[5] = static_cast<std::int32_t>(std::stoi(narrow.substr(8, 4), nullptr, 16));
    const auto text = [&](int i) {
        return i == 5 ? std::to_string(std::get<std::int32_t>(ipPart[5]))
                      : std::to_string(std::get<std::int16_t>(ipPart[static_cast<std::size_t>(i)]));
    };
    const std::string out = text(1) + "." + text(2) + "." + text(3) + "." + text(4) + ":" + text(5);
    return {out.begin(), out.end()};
}

const std::u16string kValid = u"0100A8C01F90";
const std::u16string kWrongLength = u"0100A8C01F9";
const std::u16string kNotHex = u"0100A8C01F9G";
const std::u16string kLong(100000, u'7');

const std::u16string& input(int which) {
    static const std::vector<const std::u16string*> inputs{&kValid, &kWrongLength, &kNotHex, &kLong};
    return *inputs[static_cast<std::size_t>(which)];
}
const char* kNames[] = {"valid", "wrong_length", "not_hex", "100000_units"};

void Decoder(benchmark::State& state) {
    const std::u16string& hash = input(static_cast<int>(state.range(0)));
    kavlo::IPParts ipPart{};
    for (auto _ : state) {
        benchmark::DoNotOptimize(hash.data());
        auto output = kavlo::calculate(hash, ipPart);
        benchmark::DoNotOptimize(output);
        benchmark::ClobberMemory();
    }
    state.SetLabel(kNames[state.range(0)]);
}

void Reference(benchmark::State& state) {
    const std::u16string& hash = input(static_cast<int>(state.range(0)));
    kavlo::IPParts ipPart{};
    for (auto _ : state) {
        benchmark::DoNotOptimize(hash.data());
        auto output = referenceCalculate(hash, ipPart);
        benchmark::DoNotOptimize(output);
        benchmark::ClobberMemory();
    }
    state.SetLabel(kNames[state.range(0)]);
}

BENCHMARK(Decoder)->DenseRange(0, 3);
BENCHMARK(Reference)->DenseRange(0, 3);

// Prints ns per call for both and the ratio, case by case, after the usual table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        // One figure per case: the median where repetitions give one, else the single run.
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (!median && run.run_type != Run::RT_Iteration) continue;
            const double ns = run.GetAdjustedRealTime();
            const bool isDecoder = run.run_name.function_name == "Decoder";
            auto& figures = isDecoder ? decoder_ : reference_;
            if (median || !figures.count(run.report_label)) figures[run.report_label] = ns;
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\n%-14s %12s %14s %8s\n", "case", "decoder ns", "reference ns", "ratio");
        for (const char* name : kNames) {
            const double d = decoder_.count(name) ? decoder_[name] : 0;
            const double r = reference_.count(name) ? reference_[name] : 0;
            std::printf("%-14s %12.1f %14.1f %7.1fx\n", name, d, r, d > 0 ? r / d : 0.0);
        }
        const bool measured = decoder_.count("valid") && reference_.count("valid");
        const double valid = measured ? decoder_["valid"] : 0;
        std::printf("targets: valid decode under 20 ns (%s), at least 8x the reference (%s)\n",
                    !measured ? "not measured" : valid < 20 ? "met" : "MISSED",
                    !measured ? "not measured" : reference_["valid"] >= 8 * valid ? "met" : "MISSED");
    }

private:
    std::map<std::string, double> decoder_;
    std::map<std::string, double> reference_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
