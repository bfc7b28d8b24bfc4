#include "AI/AIProviders.h"

#include "Settings/SecretStore.h"
#include "Settings/SettingsStore.h"

namespace pemmo::AIProviders {

AIService::ProviderFactory make(SettingsStore& settings, std::shared_ptr<SecretStore> secrets,
                                std::shared_ptr<HTTPTransport> transport, Options options) {
    return [&settings, secrets, transport, options]() {
        AIService::Providers providers;
        providers[AIProviderID::OnDevice] = std::make_shared<LocalModelProvider>(
            settings.localModelServer(), settings.localModel(), transport, options.localTimeouts);
        // The key is read when a request is made, never kept.
        ClaudeProvider::APIKeyReader apiKey = [keyring = secrets] {
            return keyring->read(SecretStore::cloudKeyAccount());
        };
        const QString baseURL = settings.anthropicBaseURL();
        providers[AIProviderID::Claude] = std::make_shared<ClaudeProvider>(
            std::move(apiKey), settings.claudeReasoningModel(), settings.claudeFastModel(), transport,
            ClaudeProvider::endpoint(baseURL).value_or(QUrl()), options.retryDelay, baseURL);
        return providers;
    };
}

} // namespace pemmo::AIProviders
