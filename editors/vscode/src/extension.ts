// The CASL II language and the Tolvane debugger in the editor: both are
// served by tolvane-cli, the debugger as `tolvane-cli dap` and the language
// features as `tolvane-cli lsp`.
import * as vscode from 'vscode';
import { LanguageClient, LanguageClientOptions, ServerOptions } from 'vscode-languageclient/node';

let client: LanguageClient | undefined;

// The tolvane-cli to run: the setting, a name looked up on the PATH by default.
function cliPath(): string {
  const configured = vscode.workspace.getConfiguration('tolvane').get<string>('cliPath', 'tolvane-cli').trim();
  return configured === '' ? 'tolvane-cli' : configured;
}

class AdapterFactory implements vscode.DebugAdapterDescriptorFactory {
  createDebugAdapterDescriptor(): vscode.ProviderResult<vscode.DebugAdapterDescriptor> {
    return new vscode.DebugAdapterExecutable(cliPath(), ['dap']);
  }
}

class ConfigurationProvider implements vscode.DebugConfigurationProvider {
  // F5 without a launch.json debugs the CASL II file in the editor.
  resolveDebugConfiguration(
    _folder: vscode.WorkspaceFolder | undefined,
    config: vscode.DebugConfiguration,
  ): vscode.ProviderResult<vscode.DebugConfiguration> {
    if (!config.type && !config.request && !config.name) {
      const editor = vscode.window.activeTextEditor;
      if (editor && editor.document.languageId === 'casl2') {
        config.type = 'tolvane';
        config.name = 'Debug CASL II';
        config.request = 'launch';
        config.program = '${file}';
        config.stopOnEntry = true;
      }
    }
    if (!config.program) {
      void vscode.window.showErrorMessage('Tolvane: the launch configuration names no program to debug.');
      return undefined;
    }
    return config;
  }
}

function startLanguageServer(context: vscode.ExtensionContext): void {
  if (!vscode.workspace.getConfiguration('tolvane').get<boolean>('languageServer.enabled', true)) return;
  const serverOptions: ServerOptions = { command: cliPath(), args: ['lsp'] };
  const clientOptions: LanguageClientOptions = {
    documentSelector: [{ scheme: 'file', language: 'casl2' }],
  };
  client = new LanguageClient('tolvane', 'Tolvane CASL II', serverOptions, clientOptions);
  // Debugging works without the language server: a tolvane-cli without it only costs the diagnostics.
  client.start().catch((error: unknown) => {
    void vscode.window.showWarningMessage(
      `Tolvane: the language server could not be started (${cliPath()} lsp): ${String(error)}`,
    );
  });
  context.subscriptions.push({ dispose: () => void client?.stop() });
}

export function activate(context: vscode.ExtensionContext): void {
  context.subscriptions.push(
    vscode.debug.registerDebugAdapterDescriptorFactory('tolvane', new AdapterFactory()),
    vscode.debug.registerDebugConfigurationProvider('tolvane', new ConfigurationProvider()),
  );
  startLanguageServer(context);
}

export function deactivate(): Thenable<void> | undefined {
  return client?.stop();
}
