#pragma once
// Starting and stopping an application pool, so that the files it serves can
// be replaced while nothing holds them.
#include <windows.h>

#include <string>

// Runs the pool's Start or Stop method. S_FALSE when this machine has no IIS
// administration or no pool of that name (nothing to stop); the HRESULT of
// the failing call otherwise.
HRESULT ControlAppPool(const std::string& poolName, bool start);
// Start on a started pool, or Stop on a stopped one: nothing to do.
bool IsPoolAlreadyInState(HRESULT hr);
