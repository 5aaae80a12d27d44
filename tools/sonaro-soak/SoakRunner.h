#pragma once

#include <string>
#include <vector>

namespace sonaro {

struct SoakOptions
{
    int seconds = 120;
    unsigned seed = 1;
    double dropEachWay = 0.20;
    double corruptChecksum = 0.02;
    int silenceMs = 5000;
    int panelIntervalMs = 1500; // a change at the unit's front panel this often
    // When set, every datagram both ways and every operator action go to this file, one line
    // each with the run's milliseconds, for finding out why a field differs.
    std::string traceFile;
};

struct SoakResult
{
    bool loggedIn = false;
    int actions = 0;
    int framesSent = 0;
    int answerRetries = 0; // M, E and B sent again while waiting for their answer
    int loginRetries = 0;  // R sent again (login retries and watchdog logins)
    int relogins = 0;      // logins accepted after the first
    int framesReceived = 0;
    // Datagrams that exist only for the read-back: C, its S, and the resends it caused.
    int readBackDatagrams = 0;
    // Front-panel changes the operator did not change again, those whose report reached the
    // program, and the fields of those that the unit no longer holds at the end.
    int panelChanges = 0;
    int panelChangesHeard = 0;
    std::vector<std::string> panelReverted;
    std::vector<std::string> differing;
};

// The real core (database, link, dispatcher, session, surface, editors) bound to 127.0.0.1
// against a virtual unit on 127.0.0.2 with faults injected, driven by a seeded random operator.
SoakResult runSoak(const SoakOptions& options);

} // namespace sonaro
