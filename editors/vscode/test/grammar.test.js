// The grammar gives each piece of a line the kind the IDE colours it as.
'use strict';
const assert = require('node:assert');
const fs = require('node:fs');
const path = require('node:path');
const test = require('node:test');
const oniguruma = require('vscode-oniguruma');
const textmate = require('vscode-textmate');

// Scope name -> the IDE's kind of piece.
const kinds = [
  ['entity.name.label', 'Label'],
  ['keyword.other.instruction', 'Machine'],
  ['storage.type.directive', 'Directive'],
  ['support.function.macro', 'Macro'],
  ['variable.language.register', 'Register'],
  ['constant.numeric', 'Number'],
  ['constant.other.literal', 'Literal'],
  ['string.quoted', 'String'],
  ['comment.line', 'Comment'],
];

async function grammar() {
  const wasm = fs.readFileSync(require.resolve('vscode-oniguruma/release/onig.wasm'));
  await oniguruma.loadWASM(wasm.buffer.slice(wasm.byteOffset, wasm.byteOffset + wasm.byteLength));
  const registry = new textmate.Registry({
    onigLib: Promise.resolve({
      createOnigScanner: (sources) => new oniguruma.OnigScanner(sources),
      createOnigString: (s) => new oniguruma.OnigString(s),
    }),
    loadGrammar: async () =>
      textmate.parseRawGrammar(
        fs.readFileSync(path.join(__dirname, '..', 'syntaxes', 'casl2.tmLanguage.json'), 'utf8'),
        'casl2.tmLanguage.json',
      ),
  });
  return registry.loadGrammar('source.casl2');
}

// "text:Kind" for every piece of the line that has a kind.
function pieces(g, line) {
  const out = [];
  for (const t of g.tokenizeLine(line, textmate.INITIAL).tokens) {
    const text = line.substring(t.startIndex, t.endIndex);
    const kind = kinds.find(([scope]) => t.scopes.some((s) => s.startsWith(scope)));
    if (kind && text.trim() !== '') {
      const last = out[out.length - 1];
      // A piece spread over several tokens (a string with '') is one piece.
      if (last && last.kind === kind[1] && last.end === t.startIndex) {
        last.text += text;
        last.end = t.endIndex;
      } else {
        out.push({ text, kind: kind[1], end: t.endIndex });
      }
    }
  }
  return out.map((p) => `${p.text}:${p.kind}`);
}

test('lines are coloured as the IDE colours them', async () => {
  const g = await grammar();
  const cases = [
    ['MAIN    START', ['MAIN:Label', 'START:Directive']],
    ['        LD      GR1,=5', ['LD:Machine', 'GR1:Register', '=5:Literal']],
    ['LOOP    LAD     GR1,1,GR1   ; count', ['LOOP:Label', 'LAD:Machine', 'GR1:Register', '1:Number', 'GR1:Register', '; count:Comment']],
    ['        IN      BUF,LEN', ['IN:Macro']],
    ["MSG     DC      'IT''S; OK',#00FF,-3", ['MSG:Label', 'DC:Directive', "'IT''S; OK':String", '#00FF:Number', '-3:Number']],
    ["        LD      GR0,='A;B'", ['LD:Machine', 'GR0:Register', "='A;B':Literal"]],
    ['; a whole comment line', ['; a whole comment line:Comment']],
    ['GR1     NOP', ['NOP:Machine']],
    ['TOOLONGLABEL NOP', ['NOP:Machine']],
    ['X       FOO     GR1', ['X:Label', 'GR1:Register']],
    ['        RPUSH', ['RPUSH:Macro']],
    ['        LD      GR1,A   what follows is ignored', ['LD:Machine', 'GR1:Register', 'what follows is ignored:Comment']],
    ["        DC      'A B',3 next", ['DC:Directive', "'A B':String", '3:Number', 'next:Comment']],
  ];
  for (const [line, expected] of cases) assert.deepStrictEqual(pieces(g, line), expected, line);
});
