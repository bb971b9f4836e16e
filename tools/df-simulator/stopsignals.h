#pragma once
// SIGINT, SIGTERM and SIGHUP end a run: the handler only raises a flag, and waits and writes are cut
// short (no SA_RESTART) so the send loop sees it at once and the simulator can tidy up.

namespace dfsim {

void installStopSignals();
bool stopSignalled();

} // namespace dfsim
