#pragma once

namespace tavrine {

// Names Tavrine for the sound server, so that a mixer lists the nudge's voice and sound under "Tavrine" as event
// sounds. Qt's PulseAudio backend calls its client "QtPulseAudio:<pid>" and takes no stream properties; libpulse
// adds client properties from the environment when a context is made, and the server hands a client's
// properties down to its streams. So the variables are set only while Qt's audio comes up: programs Tavrine
// starts (a browser, a mail program) must not inherit them. Call once, after the application object exists.
void nameSoundStreams();

} // namespace tavrine
