#pragma once

#include "TnvSimModel.h"

#include <QString>
#include <array>
#include <map>

class TnvSimRegisterStore;

// A machine on the simulator's registers instead of a drive. Writing i to the
// register of parameter 10 selects program i: the register then reads back
// 0x0100 | i (bit 8: a program is loaded) and the four registers of parameter
// 11 hold the program's header (zeros for a program not in the table). The
// fault word (2) and the state and alarm words (401 to 403) are the test
// bench's wires: writable although read-only; the command word (400) is
// writable anyway.
//
// Programs may misbehave on purpose: "refuse" answers reads of the header
// with exception 04 while the program is selected; "ignore" leaves the
// selection as it was, as a machine that does not take it.
class TnvSimMachine : public TnvSimModel {
public:
    enum class TKind { Normal, Refuse, Ignore };
    struct TProgram {
        std::array<uint16_t, 4> Header{};
        TKind Kind = TKind::Normal;
    };
    using TPrograms = std::map<uint16_t, TProgram>;

    static constexpr uint32_t kSelect = 10;
    static constexpr uint32_t kHeader = 11;
    static constexpr uint16_t kLoaded = 0x0100;
    static constexpr uint16_t kNoProgram = 0x00FF;
    static constexpr int kGenerated = 100;

    TnvSimMachine(TnvSimRegisterStore& store, TPrograms programs);

    // Lines "INDEX W0 W1 W2 W3", "INDEX refuse" or "INDEX ignore"; words in
    // decimal or 0x hexadecimal; "#" starts a comment. Raises TnvError naming
    // the file and the line of a malformed entry, or a file that cannot be read.
    static TPrograms LoadPrograms(const QString& fileName);
    static TPrograms ParsePrograms(const QString& text, const QString& name);
    // Programs 0 to 99: header i is i, 10 + i % 20 steps, 60 + i seconds, 0xC0DE.
    static TPrograms GeneratedPrograms();

    void Advance(std::chrono::microseconds dt) override { FNow += dt; }
    std::chrono::microseconds Now() const override { return FNow; }
    void ParameterWritten(uint32_t index) override;
    bool IsBenchInput(uint32_t index) const override;
    std::optional<uint8_t> RefusesRead(uint16_t first, uint32_t count) const override;

    // The program selected last, or none.
    std::optional<uint16_t> Selected() const { return FSelected; }

private:
    void Select(uint16_t program);

    TnvSimRegisterStore& FStore;
    TPrograms FPrograms;
    std::optional<uint16_t> FSelected;
    std::chrono::microseconds FNow{0};
};
