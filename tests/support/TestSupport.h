#pragma once

// Everything the test support library offers, for tests that start peers.
#include "Crc16.h"
#include "PeerLog.h"
#include "RawRtuClient.h"
#include "RawTcpClient.h"
#include "TConfigHome.h"
#include "TPeer.h"
#include "TPtyPair.h"
#include "TSimProcess.h"
#include "TSubprocess.h"
#include "TestPaths.h"
#include "TestWait.h"
