-- The store database as SrvVarenta uses it: every table, column, generator and index its statements
-- touch, with the types of the store system. Tests and the demo create their databases from this
-- script (CREATE DATABASE ... DEFAULT CHARACTER SET WIN1252 first); a real store brings its own.

-- The company row: integration settings and sync marks.
CREATE TABLE padrao (
  codigo INTEGER,
  cgc VARCHAR(18),
  varenta_usuario VARCHAR(100),
  varenta_senha VARCHAR(100),
  varenta_url1 VARCHAR(255),
  varenta_url2 VARCHAR(255),
  varenta_url3 VARCHAR(255),
  varenta_idempresa VARCHAR(20),
  varenta_idlocal VARCHAR(20),
  varenta_intervalo INTEGER,
  varenta_datainicio DATE,
  varenta_ultvenda INTEGER,
  varenta_ultcancelamento INTEGER,
  varenta_ultcaixa DATE,
  varenta_verificapromo TIMESTAMP,
  varenta_verificareenvio TIMESTAMP
);

CREATE TABLE produtos (
  codigo VARCHAR(20) NOT NULL PRIMARY KEY,
  produto VARCHAR(100)
);

CREATE TABLE clientes (
  codigo INTEGER NOT NULL PRIMARY KEY,
  nome VARCHAR(100),
  cic VARCHAR(18)
);

-- One row per sale line; pseudo-lines (XXDESCONTOXX, XXACRESCIMOXX, XXENTREGAXX, RECARGACELULAR)
-- carry sale-level amounts.
CREATE TABLE vendas (
  sequencial INTEGER NOT NULL PRIMARY KEY,
  venda INTEGER NOT NULL,
  data DATE NOT NULL,
  hora TIME NOT NULL,
  codigocliente INTEGER,
  cancelamento TIMESTAMP,
  codigocancelamento INTEGER,
  unidade VARCHAR(6),
  codigoproduto VARCHAR(20) NOT NULL,
  produto VARCHAR(100),
  precounitario NUMERIC(15,2),
  quantidade NUMERIC(15,3),
  subtotal NUMERIC(15,2),
  desconto NUMERIC(15,2),
  precototal NUMERIC(15,2),
  precoautomatico NUMERIC(15,2),
  precocusto NUMERIC(15,2),
  farmaciapopular CHAR(1),
  numeroserie VARCHAR(30),
  numerocoo INTEGER,
  terminal INTEGER
);
CREATE INDEX ix_vendas_venda ON vendas (venda);
CREATE INDEX ix_vendas_data ON vendas (data);
CREATE INDEX ix_vendas_codigocancelamento ON vendas (codigocancelamento);

-- Payment totals of a live sale and of a cancelled one.
CREATE TABLE caixa (
  codigovenda INTEGER NOT NULL,
  naturezadaoperacao VARCHAR(30),
  dinheiro NUMERIC(15,2),
  cheque NUMERIC(15,2),
  cartao NUMERIC(15,2),
  troco NUMERIC(15,2),
  total NUMERIC(15,2),
  carteiradigital NUMERIC(15,2),
  valetroca NUMERIC(15,2),
  ecommerce NUMERIC(15,2),
  numerocoo INTEGER
);
CREATE INDEX ix_caixa_codigovenda ON caixa (codigovenda);

CREATE TABLE caixacancelado (
  codigovenda INTEGER NOT NULL,
  naturezadaoperacao VARCHAR(30),
  dinheiro NUMERIC(15,2),
  cheque NUMERIC(15,2),
  cartao NUMERIC(15,2),
  troco NUMERIC(15,2),
  total NUMERIC(15,2),
  carteiradigital NUMERIC(15,2),
  valetroca NUMERIC(15,2),
  ecommerce NUMERIC(15,2),
  numerocoo INTEGER
);
CREATE INDEX ix_caixacancelado_codigovenda ON caixacancelado (codigovenda);

-- Card payments of a live sale and of a cancelled one.
CREATE TABLE vendacartao (
  codigovenda INTEGER NOT NULL,
  autorizacao VARCHAR(20),
  bin VARCHAR(8),
  ultimosquatrodigitos VARCHAR(4),
  operacao VARCHAR(20),
  movimento INTEGER,
  valortotal NUMERIC(15,2)
);
CREATE INDEX ix_vendacartao_codigovenda ON vendacartao (codigovenda);

CREATE TABLE vendacartaocancelada (
  codigovenda INTEGER NOT NULL,
  autorizacao VARCHAR(20),
  bin VARCHAR(8),
  ultimosquatrodigitos VARCHAR(4),
  operacao VARCHAR(20),
  movimento INTEGER,
  valortotal NUMERIC(15,2)
);
CREATE INDEX ix_vendacartaocanc_codigovenda ON vendacartaocancelada (codigovenda);

-- Promotions the point of sale applies.
CREATE TABLE VARENTA_PROMOCOES (
  CODIGOPROMOCAO INTEGER NOT NULL PRIMARY KEY,
  DATAINICIAL DATE,
  DATAFINAL DATE,
  LIMITE INTEGER,
  TIPOPROMOCAO CHAR(1),
  QUANTIDADEMINIMA INTEGER,
  DESCONTOPORCENTAGEM NUMERIC(15,4),
  DESCONTOFIXO NUMERIC(15,4),
  PRECOFIXO NUMERIC(15,4),
  LEVE INTEGER,
  PAGUE INTEGER,
  DESCRICAO VARCHAR(100),
  REJEITADA TIMESTAMP
);

CREATE TABLE VARENTA_PROMOCOES_PRODUTOS (
  CODIGOPROMOCAO INTEGER NOT NULL,
  CODIGOPRODUTO VARCHAR(20) NOT NULL,
  PRIMARY KEY (CODIGOPROMOCAO, CODIGOPRODUTO)
);

CREATE TABLE VARENTA_PROMOCOES_BIN (
  CODIGOPROMOCAO INTEGER NOT NULL,
  BIN VARCHAR(8) NOT NULL,
  CREDITODEBITO CHAR(1),
  PRIMARY KEY (CODIGOPROMOCAO, BIN)
);

-- Promotional baskets; codes are "CPROM" and the generator's next value.
CREATE GENERATOR GEN_CESTASPROMOCIONAIS;

CREATE TABLE CESTASPROMOCIONAIS (
  CODIGO VARCHAR(20) NOT NULL PRIMARY KEY,
  DESCRICAO VARCHAR(100),
  DATAINICIOPROMOCAO DATE,
  DATAFINALPROMOCAO DATE,
  CODIGOVARENTA INTEGER,
  REJEITADA TIMESTAMP
);
CREATE INDEX IX_CESTASPROMOCIONAIS_VARENTA ON CESTASPROMOCIONAIS (CODIGOVARENTA);

CREATE TABLE ITENSCESTASPROMOCIONAIS (
  CODIGOCESTA VARCHAR(20) NOT NULL,
  CODIGOPRODUTO VARCHAR(20) NOT NULL,
  QUANTIDADE NUMERIC(15,3),
  TIPODESCONTO CHAR(1),
  DESCONTOVISTA NUMERIC(15,4),
  DESCONTOPRAZO NUMERIC(15,4),
  DESCRICAO VARCHAR(100),
  PRIMARY KEY (CODIGOCESTA, CODIGOPRODUTO)
);
