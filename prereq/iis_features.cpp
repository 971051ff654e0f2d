#include "prereq/iis_features.h"

#include "core/context.h"
#include "prereq/dism_api.h"
#include "prereq/dism_results.h"
#include "win/text.h"

namespace {

void ShowDismProgress(UINT current, UINT total, PVOID userData) {
    auto* context = static_cast<SetupContext*>(userData);
    if (context) context->SetStatus(IisProgressText(IisProgressPercent(current, total)));
}

void CALLBACK DismProgress(UINT current, UINT total, PVOID userData) {
    try {
        ShowDismProgress(current, total, userData);
    } catch (...) {
        // nothing may unwind into the DISM library
    }
}

// What the enable calls of one session came to.
struct EnableOutcome {
    std::string failure;  // a call that failed otherwise than for a missing source
    int featuresNotEnabled = 0;
    bool restartRequired = false;
};

HRESULT EnableFeature(const DismApi& dism, DismSession session, const std::wstring& names, SetupContext& context) {
    // Cancel sets the event: DISM stops at its next safe point.
    return dism.enableFeature(session, names.c_str(), nullptr, DismPackageNone, FALSE, nullptr, 0, TRUE,
                              context.cancel.Event(), DismProgress, &context);
}

// A call that needs a missing payload enables nothing at all, so each
// feature gets a call of its own: all but those without their files (IIS'
// .NET 3.5 extensibility on a server installed without media) come on.
void EnableOneByOne(SetupContext& context, const DismApi& dism, DismSession session, EnableOutcome& outcome) {
    for (const std::string& name : IisFeatureNames()) {
        if (context.Stopping()) return;
        const std::wstring feature = win::ToWide(name);
        // An earlier feature's call may have brought it as a parent.
        if (DismFeatureInstalled(dism, session, feature)) continue;
        const HRESULT hr = EnableFeature(dism, session, feature, context);
        const DismAnswer answer = ClassifyEnableResult(hr);
        if (answer == DismAnswer::DoneRestartRequired) outcome.restartRequired = true;
        if (answer == DismAnswer::Done || answer == DismAnswer::DoneRestartRequired) continue;
        if (context.Stopping()) return;  // Cancel ended the call: nothing is missing
        context.Fail(LOG_SERVER, FeatureNotEnabledText(name, DismLastErrorText(dism), hr));
        ++outcome.featuresNotEnabled;
    }
}

void EnableAll(SetupContext& context, const DismApi& dism, DismSession session, EnableOutcome& outcome) {
    // One joined call first: on a machine with every payload it is all it takes.
    const HRESULT hr = EnableFeature(dism, session, win::ToWide(JoinedIisFeatures()), context);
    switch (ClassifyEnableResult(hr)) {
        case DismAnswer::Done:
            break;
        case DismAnswer::DoneRestartRequired:
            outcome.restartRequired = true;
            break;
        case DismAnswer::SourceMissing:
            EnableOneByOne(context, dism, session, outcome);
            break;
        case DismAnswer::Failed:
            outcome.failure = "DismEnableFeature failed with " + HexResult(hr);
            break;
    }
}

}  // namespace

std::vector<std::string> IisFeatureNames() {
    return {
        "IIS-ApplicationDevelopment", "IIS-CommonHttpFeatures", "IIS-DefaultDocument",  "IIS-ISAPIExtensions",
        "IIS-ISAPIFilter",            "IIS-WebServerManagementTools", "IIS-ManagementConsole", "IIS-NetFxExtensibility",
        "IIS-RequestFiltering",       "IIS-Security",           "IIS-StaticContent",    "IIS-WebServer",
        "IIS-WebServerRole",          "IIS-ASPNET45",           "IIS-NetFxExtensibility45"};
}

std::string JoinedIisFeatures() {
    std::string joined;
    for (const std::string& name : IisFeatureNames()) {
        if (!joined.empty()) joined += ';';
        joined += name;
    }
    return joined;
}

int IisProgressPercent(unsigned current, unsigned total) {
    if (total == 0) return 0;
    return static_cast<int>(static_cast<double>(current) / static_cast<double>(total) * 100.0);
}

std::string IisProgressText(int percent) { return "Updating IIS Features:" + std::to_string(percent) + " perc completed"; }

int EnableIisFeatures(SetupContext& context) {
    DismApi dism;
    if (!dism.Complete()) {
        context.Fail(LOG_SERVER, "Could not configure IIS. Please do it manually", "DismApi.dll is not available");
        return 0;
    }
    EnableOutcome outcome;
    DismSession session = 0;
    HRESULT hr = dism.initialize(DismLogErrorsWarningsInfo, nullptr, nullptr);
    if (FAILED(hr)) {
        outcome.failure = "DismInitialize failed with " + HexResult(hr);
    } else if (FAILED(hr = dism.openSession(DISM_ONLINE_IMAGE, nullptr, nullptr, &session))) {
        outcome.failure = "DismOpenSession failed with " + HexResult(hr);
    } else {
        EnableAll(context, dism, session, outcome);
    }
    dism.closeSession(session);
    hr = dism.shutdown();
    if (FAILED(hr) && outcome.failure.empty()) outcome.failure = "DismShutdown failed with " + HexResult(hr);
    // What was enabled before a Cancel or a failure still waits for the restart.
    if (outcome.restartRequired) {
        context.report.restartRequired = true;
        context.Log(LOG_SERVER, "The IIS features need a restart to complete");
    }
    if (context.Stopping()) return 0;  // Cancel stopped DISM: no failure of its own
    if (!outcome.failure.empty()) {
        // Every failed call is reported; the features may not be enabled.
        context.Fail(LOG_SERVER, "Could not configure IIS. Please do it manually", outcome.failure);
        return 0;
    }
    // Each feature left off is a failed step of its own, logged as it failed.
    if (outcome.featuresNotEnabled > 0) return 0;
    context.Log(LOG_SERVER, "Configured IIS for use with TovinSoft Corvanta 10.0");
    return 1;
}
