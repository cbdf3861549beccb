#pragma once

#include "TnvSimFaults.h"
#include "TnvSimSlave.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

// The command line of kx720-sim.
struct TnvSimOptions {
    struct TTcpEndpoint {
        QString Host = QStringLiteral("127.0.0.1");
        uint16_t Port = 1502;
    };

    std::vector<TTcpEndpoint> Tcp; // none given and no other link: 127.0.0.1:1502
    QStringList Serial;
    QStringList Pty;
    std::optional<uint8_t> Slave; // given explicitly; else the stored copy or 2
    QString Defs = QStringLiteral("VF_Parameters_v207.ini");
    uint16_t Size = 0x0000;
    QString Eeprom;
    QString Log; // request log file; empty: none
    uint64_t Seed = 1;
    TnvSimIdentity Identity;
    TnvSimFaults::TSettings Faults;
    bool Machine = false; // play a machine node instead of a drive
    QString Programs;     // the machine's program table; empty: generated
    bool Help = false;

    static constexpr uint8_t kDefaultSlave = 2;

    // Parses the arguments after the program name. Raises TnvError with a
    // message for the operator on an unknown option or a bad value.
    static TnvSimOptions Parse(const QStringList& arguments);
    static QString HelpText();
};
