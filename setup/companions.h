#pragma once
// The four companions of the setup context (and the run's package trust),
// created in their order and owned by the context.
#include "core/context.h"

void AttachCompanions(SetupContext& context);

// The context as a setup process has it: made with its companions.
class SetupProcessContext : public SetupContext {
public:
    explicit SetupProcessContext(SetupHost& host = ProductionHost()) : SetupContext(host) { AttachCompanions(*this); }
};
