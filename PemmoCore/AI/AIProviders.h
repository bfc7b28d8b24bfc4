// The providers the AI service chooses from, made afresh from the settings and the keyring for each
// operation: the local model server, and Claude with the key read from the keyring.
#pragma once

#include "AI/AIService.h"
#include "AI/ClaudeProvider.h"
#include "AI/HTTPTransport.h"
#include "AI/LocalModelProvider.h"

#include <memory>

namespace pemmo::AIProviders {

struct Options {
    std::chrono::milliseconds retryDelay = ClaudeProvider::defaultRetryDelay;
    LocalModelProvider::Timeouts localTimeouts;
};

// The settings are not owned and must outlive the factory. The keyring is shared with the key
// readers, which run on worker threads.
AIService::ProviderFactory make(SettingsStore& settings, std::shared_ptr<SecretStore> secrets,
                                std::shared_ptr<HTTPTransport> transport, Options options = {});

} // namespace pemmo::AIProviders
