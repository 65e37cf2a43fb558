#pragma once

// LinkServer's DataArrival handler: logs the burst as one line of hex.
void OnServerDataArrival();
