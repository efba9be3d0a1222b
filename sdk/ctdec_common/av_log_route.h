#pragma once
// libavcodec and libavformat print their own messages (a damaged stream makes the decoder
// complain of every broken picture) to stderr unless told otherwise. Everything that uses them
// routes those messages through the program's log instead, with its level and file, and with
// a bound on how fast they come: its complaints about a stream are warnings, its notes and
// statistics debug lines.
namespace ctdec {

// Installs the route (the first call does; later ones do nothing).
void RouteLibavLog();

}  // namespace ctdec
