// Random R/L/C/V/I/T networks solved by korvex-sim and by ngspice (in the subset both
// accept), operating point and AC, compared to 1e-8 relative.
#include <gtest/gtest.h>

#include <cstdlib>
#include <numeric>
#include <random>
#include <sstream>

#include "sim_test_support.h"

namespace korvex::sim::test {
namespace {

bool haveNgspice() { return std::system("command -v ngspice >/dev/null 2>&1") == 0; }

// Inductors, lines and voltage sources are shorts at DC: they are only placed where they do
// not close a loop (which would leave DC currents undetermined).
std::string randomDeck(unsigned seed, bool ac)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    auto pick = [&](int n) { return static_cast<int>(u(rng) * n) % n; };
    const int nodes = 6 + pick(6);
    std::vector<int> parent(nodes + 1);
    std::iota(parent.begin(), parent.end(), 0);
    auto find = [&](int x) {
        while (parent[x] != x) x = parent[x];
        return x;
    };
    auto joinIfSeparate = [&](int a, int b) {
        const int ra = find(a), rb = find(b);
        if (ra == rb) return false;
        parent[ra] = rb;
        return true;
    };
    auto name = [](int n) { return n == 0 ? std::string("0") : "n" + std::to_string(n); };
    std::ostringstream deck;
    deck.precision(17);
    deck << "* random network " << seed << "\n";
    for (int k = 1; k <= nodes; ++k)  // resistive ladder: every node has a DC path
        deck << "R" << k << " " << name(k) << " " << name(pick(k)) << " " << 1 + 999 * u(rng) << "\n";
    for (int k = 0; k < nodes; ++k) {
        const int a = 1 + pick(nodes), b = pick(nodes + 1);
        if (a == b) continue;
        switch (pick(5)) {
        case 0: deck << "Rx" << k << " " << name(a) << " " << name(b) << " " << 1 + 999 * u(rng) << "\n"; break;
        case 1: deck << "C" << k << " " << name(a) << " " << name(b) << " " << (1 + 99 * u(rng)) * 1e-12 << "\n"; break;
        case 2:
            if (joinIfSeparate(a, b)) deck << "L" << k << " " << name(a) << " " << name(b) << " " << (1 + 99 * u(rng)) * 1e-9 << "\n";
            break;
        case 3:
            if (joinIfSeparate(a, b))
                deck << "T" << k << " " << name(a) << " 0 " << name(b) << " 0 Z0=" << 20 + 80 * u(rng) << " TD=" << (0.1 + u(rng)) * 1e-9 << "\n";
            break;
        default:
            deck << "I" << k << " " << name(b) << " " << name(a) << " DC " << u(rng) - 0.5 << " AC " << u(rng) << " " << 360 * u(rng) << "\n";
        }
    }
    const int v = 1 + pick(nodes);
    if (joinIfSeparate(v, 0)) deck << "V1 " << name(v) << " 0 DC " << 1 + u(rng) << " AC 1 " << 90 * u(rng) << "\n";
    deck << (ac ? ".ac dec 4 1e5 1e9\n" : ".op\n") << ".end\n";
    return deck.str();
}

void crossCheck(unsigned seed, bool ac)
{
    const auto dir = scratchDir();
    const std::string text = randomDeck(seed, ac);
    const std::string ours = writeFile(dir / "ours.cir", text);
    const std::string theirs = writeFile(dir / "theirs.cir", text);
    ASSERT_EQ(runSimulator(ours, {}), 0) << readText(dir / "ours.log") << text;
    const std::string command = "ngspice -b -r " + (dir / "theirs.raw").string() + " " + theirs + " >" + (dir / "ngspice.out").string() + " 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << readText(dir / "ngspice.out");
    const RawFile a = readRaw((dir / "ours.raw").string()), b = readRaw((dir / "theirs.raw").string());
    ASSERT_TRUE(a.ok && b.ok);
    ASSERT_EQ(a.points, b.points) << text;
    // Absolute floor: a value that is zero in exact arithmetic comes out as rounding noise.
    double scale = 0;
    for (size_t vb = 1; vb < b.names.size(); ++vb)
        for (size_t p = 0; p < b.points; ++p) scale = std::max(scale, std::abs(b.value(p, vb)));
    int compared = 0;
    for (size_t vb = 0; vb < b.names.size(); ++vb) {
        std::string name = b.names[vb];  // v(n3), i(l2), i(v1)
        if (name.size() < 4 || name.find('#') != std::string::npos) continue;
        if (name[0] == 'v') name = "V" + name.substr(1);
        else if (name[0] == 'i') name = "I(" + std::string(1, static_cast<char>(std::toupper(name[2]))) + name.substr(3);
        else if (name != "frequency") continue;
        const int va = a.index(name);
        ASSERT_GE(va, 0) << "no " << name << " in our RAW\n" << text;
        for (size_t p = 0; p < b.points; ++p) {
            std::complex<double> x = a.value(p, va), y = b.value(p, vb);
            if (name == "frequency") x.imag(0), y.imag(0);  // ngspice leaves its imaginary part unset
            EXPECT_LE(std::abs(x - y), 1e-8 * std::abs(y) + 1e-12 * scale)
                << name << " at point " << p << ": " << x << " vs ngspice " << y << "\n" << text;
        }
        ++compared;
    }
    EXPECT_GT(compared, 6);
}

class NgspiceCrossCheck : public ::testing::TestWithParam<unsigned> {
protected:
    void SetUp() override
    {
        if (!haveNgspice()) GTEST_SKIP() << "ngspice is not installed (Debian package ngspice); cross-check skipped";
    }
};

TEST_P(NgspiceCrossCheck, OperatingPoint) { crossCheck(GetParam(), false); }
TEST_P(NgspiceCrossCheck, AcSweep) { crossCheck(GetParam(), true); }

INSTANTIATE_TEST_SUITE_P(RandomNetworks, NgspiceCrossCheck, ::testing::Range(1u, 9u));

}  // namespace
}  // namespace korvex::sim::test
