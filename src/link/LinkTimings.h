#pragma once

#include <initializer_list>

namespace sonaro {

// Every duration the device link uses, in milliseconds. The defaults are the protocol's values;
// tests shrink them. Elapsed times are measured on a monotonic clock.
struct LinkTimings
{
    // Pause kept after every datagram on the link.
    int sendPause = 10;
    // Poll cycle of the answer waits of M, E and B (counted in AnswerWaitPolicy cycles).
    int answerPoll = 10;
    // First-login sequence: pause before each F, after each T, before the stream switch.
    int eqRequestPause = 20;
    int dynamicsRequestPause = 20;
    int streamOnDelay = 50;
    // A login answered after the watchdog fired settles this long before the state requests.
    int reloginSettle = 1000;
    // Pause of the bulk transfers (factory restore, presets) after each command.
    int bulkPause = 100;
    // Between restarting the link after the search dialog and sending the login.
    int restartDelay = 300;
    // Login check of the login dialog: reads this far apart, this many in all.
    int checkLoginReadInterval = 20;
    int checkLoginReads = 52;
    // Watchdog: tick period, login retry interval, silence that drops the link.
    int watchdogTick = 100;
    int loginRetryInterval = 3000;
    int silenceTimeout = 3000;
    // An M whose answer never came is forgotten after this long.
    int switchesPendingTimeout = 1000;
    // Address and account changes: check period and time-out (more than 10 s).
    int adminTick = 1000;
    int adminTimeout = 10000;
    // Disconnect and exit: the longest wait for the queue to go out before the stream is off.
    int drainLimit = 2000;
    // Read-back of V and G: the quiet time after the last of a burst before C asks for the
    // state report, and how long a read-back waits for its S before asking again.
    int readBackQuiet = 300;
    int readBackRetry = 1000;
    // A frame of ours sent at most this long before the unit reported a change made at its
    // front panel may have reached the unit after the change and taken it back.
    int crossingWindow = 300;
    // Discovery: probes sent per pacing tick, tick length, how long a probe waits for its
    // answer before the second attempt (and after the last one).
    int probesPerTick = 4;
    int probeTick = 1;
    int probeAnswerWindow = 150;
    // After the last probe, answers are still listed for this long.
    int lateAnswerWindow = 1000;

    // All of the above divided by divisor (at least 1 ms each); for tests.
    LinkTimings scaled(int divisor) const
    {
        LinkTimings t = *this;
        for (int* v : {&t.sendPause,
                       &t.answerPoll,
                       &t.eqRequestPause,
                       &t.dynamicsRequestPause,
                       &t.streamOnDelay,
                       &t.reloginSettle,
                       &t.bulkPause,
                       &t.restartDelay,
                       &t.checkLoginReadInterval,
                       &t.watchdogTick,
                       &t.loginRetryInterval,
                       &t.silenceTimeout,
                       &t.switchesPendingTimeout,
                       &t.adminTick,
                       &t.adminTimeout,
                       &t.drainLimit,
                       &t.readBackQuiet,
                       &t.readBackRetry,
                       &t.crossingWindow,
                       &t.probeAnswerWindow,
                       &t.lateAnswerWindow})
            *v = *v / divisor > 0 ? *v / divisor : 1;
        return t;
    }
};

} // namespace sonaro
