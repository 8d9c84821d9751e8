#pragma once

#include <QString>

// An example of the setup print with which a KT 290 answers "spr".
inline const QString ExampleDevicePrint =
    QStringLiteral(" Version: 3   Ort: 4   Prüfsumme: 82, 0x52\r\n"
                   " Alarm1hysterese : 0.000000   Alarm2hysterese : 0.000000\r\n"
                   " Relais1polatität: 0   Relais2polatität: 0\r\n"
                   " Druckrichtung   : 1\r\n"
                   " Nullpotimitte   : 0.000000\r\n"
                   " 20mA Poti links : 2.500000\r\n"
                   " 20mA Poti rechts: 0.833300\r\n"
                   " Tastensperre    : 0\r\n"
                   " Sicherheitsmodus: 0\r\n"
                   " Fabrikatationsnr: 0\r\n"
                   " Filter: 2\r\n"
                   " mako: 90   makf: 2.313980e-04\r\n"
                   " maraf: -3.142000e-05   rauf: 9.954056e-01\r\n"
                   " uspf1: 4.910000e-04   uspf2: 1.594500e-03\r\n"
                   " ispf1: 1.360000e-02   ispf2: 4.784240e-02\r\n"
                   " mvf: 2.215000e-03   usinf: 2.450000e-04\r\n"
                   " maif: 2.465600e-03   dackor: 59\r\n"
                   " poti[0]: 5135  poti[1]: 301  poti[2]: 6527  poti[3]: 5176  poti[4]: 773");
