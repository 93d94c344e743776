#pragma once

namespace vantorel {

class TOptionsForm;
class TProxyAuthForm;
class TSysAuthForm;

// The prompts run before a command talks to the web service. Each returns whether the command
// may go on; false means the user cancelled and the command ends without a message. Whatever
// was confirmed with OK is already in the options and saved.

// Asks for the web account's login and password until both are given, unless the options hold
// both already.
bool AskSystemAuthorization(TOptionsForm &options, TSysAuthForm &dialog);

// Asks for the proxy user and password the same way, when the proxy is in use and needs
// authentication.
bool AskProxyAuthentication(TOptionsForm &options, TProxyAuthForm &dialog);

} // namespace vantorel
